import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The greeting with today's date, and the latest announcement leading to its detail and to the
// list of all announcements.
Rectangle {
    id: banner
    objectName: "announcementBanner"
    implicitHeight: layout.s(78)
    radius: layout.s(16)
    border.color: theme.border
    gradient: Gradient {
        orientation: Gradient.Horizontal
        GradientStop { position: 0.0; color: theme.dark ? "#1E2A44" : "#E8F0FE" }
        GradientStop { position: 1.0; color: theme.surface }
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: layout.s(24)
        anchors.rightMargin: layout.s(20)
        spacing: layout.s(24)

        ColumnLayout {
            spacing: layout.s(2)
            Text {
                objectName: "greetingText"
                text: dashboard.greeting
                textFormat: Text.PlainText
                font.family: theme.headingFont
                font.pixelSize: layout.s(26)
                font.bold: true
                color: theme.text
            }
            Text {
                objectName: "dateLine"
                text: dashboard.dateLine
                textFormat: Text.PlainText
                font.pixelSize: layout.s(15)
                color: theme.secondaryText
            }
        }

        Item { Layout.fillWidth: true }

        // The latest announcement, when there is one.
        Rectangle {
            id: notice
            visible: dashboard.hasAnnouncement
            Layout.preferredWidth: layout.s(620)
            Layout.preferredHeight: layout.s(56)
            radius: layout.s(12)
            color: noticeArea.containsMouse ? theme.surfaceAlt : (theme.dark ? "#262A33" : "#F7F9FC")
            border.color: theme.border

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: layout.s(14)
                anchors.rightMargin: layout.s(14)
                spacing: layout.s(10)
                SpeakerGlyph {
                    Layout.preferredWidth: layout.s(22)
                    Layout.preferredHeight: layout.s(22)
                    tint: theme.accent
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Text {
                        text: shell.text("announcement_latest")
                        textFormat: Text.PlainText
                        font.pixelSize: layout.s(12)
                        color: theme.secondaryText
                    }
                    Text {
                        objectName: "bannerAnnouncementTitle"
                        Layout.fillWidth: true
                        text: dashboard.announcement.title !== undefined ? dashboard.announcement.title : ""
                        textFormat: Text.PlainText
                        font.pixelSize: layout.s(16)
                        font.bold: true
                        color: theme.text
                        elide: Text.ElideRight
                    }
                }
            }
            MouseArea {
                id: noticeArea
                objectName: "bannerAnnouncement"
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: dashboard.openBannerAnnouncement()
            }
        }

        Button {
            id: listButton
            objectName: "announcementListButton"
            text: shell.text("announcement_all") + "  ›"
            flat: true
            font.pixelSize: layout.s(15)
            onClicked: dashboard.openAnnouncementList()
            contentItem: Text {
                text: listButton.text
                textFormat: Text.PlainText
                font: listButton.font
                color: theme.accent
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                radius: layout.s(10)
                color: listButton.hovered ? theme.surfaceAlt : "transparent"
            }
        }
    }
}
