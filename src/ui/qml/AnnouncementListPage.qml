import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// All announcements: what the dashboard had at once, then the freshly loaded list.
Rectangle {
    id: page
    objectName: "announcementListPage"
    readonly property var list: dashboard.announcementList

    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: layout.s(20)
        spacing: layout.s(12)

        RowLayout {
            Layout.fillWidth: true
            spacing: layout.s(12)
            BackButton {
                objectName: "announcementListBackButton"
                onClicked: dashboard.back()
            }
            Text {
                text: shell.text("announcement_list_title")
                textFormat: Text.PlainText
                font.family: theme.headingFont
                font.pixelSize: layout.s(24)
                font.bold: true
                color: theme.text
            }
            Item { Layout.fillWidth: true }
            BusyIndicator {
                running: page.list.isLoading
                visible: running
                Layout.preferredWidth: layout.s(28)
                Layout.preferredHeight: layout.s(28)
            }
        }

        Text {
            objectName: "announcementListError"
            Layout.fillWidth: true
            visible: page.list.errorMessage !== ""
            text: page.list.errorMessage
            textFormat: Text.PlainText
            wrapMode: Text.WordWrap
            font.pixelSize: layout.s(14)
            color: theme.danger
        }

        ListView {
            id: rows
            objectName: "announcementList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: !page.list.isEmpty
            clip: true
            spacing: layout.s(8)
            model: page.list.announcements
            ScrollBar.vertical: ScrollBar {}
            delegate: Rectangle {
                id: row
                required property var modelData
                required property int index
                objectName: "announcementRow_" + index
                width: rows.width
                implicitHeight: rowText.implicitHeight + layout.s(28)
                radius: layout.s(12)
                color: rowArea.containsMouse ? theme.surfaceAlt : "transparent"
                border.color: theme.border

                ColumnLayout {
                    id: rowText
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.leftMargin: layout.s(18)
                    anchors.rightMargin: layout.s(18)
                    spacing: layout.s(4)
                    RowLayout {
                        Layout.fillWidth: true
                        Text {
                            Layout.fillWidth: true
                            text: row.modelData.title
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.pixelSize: layout.s(17)
                            font.bold: true
                            color: theme.text
                        }
                        Text {
                            text: row.modelData.dateText
                            textFormat: Text.PlainText
                            font.pixelSize: layout.s(13)
                            color: theme.secondaryText
                        }
                    }
                    Text {
                        Layout.fillWidth: true
                        visible: text !== ""
                        text: row.modelData.summary
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 2
                        wrapMode: Text.WordWrap
                        font.pixelSize: layout.s(14)
                        color: theme.secondaryText
                    }
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: dashboard.openAnnouncement(row.index)
                }
            }
        }

        // Nothing to show.
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: page.list.isEmpty
            Column {
                anchors.centerIn: parent
                spacing: layout.s(12)
                SpeakerGlyph {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: layout.s(56)
                    height: layout.s(56)
                }
                Text {
                    objectName: "noAnnouncement"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: shell.text("no_announcement")
                    textFormat: Text.PlainText
                    font.pixelSize: layout.s(17)
                    color: theme.secondaryText
                }
            }
        }
    }
}
