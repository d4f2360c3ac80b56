import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// One announcement; back leads to where it was opened from (the list or the dashboard).
Rectangle {
    id: page
    objectName: "announcementDetailPage"
    readonly property var detail: dashboard.detail

    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: layout.s(20)
        spacing: layout.s(10)

        BackButton {
            objectName: "announcementBackButton"
            onClicked: dashboard.back()
        }

        Text {
            objectName: "announcementTitle"
            Layout.fillWidth: true
            Layout.leftMargin: layout.s(12)
            text: page.detail.title !== undefined ? page.detail.title : ""
            textFormat: Text.PlainText
            wrapMode: Text.WordWrap
            font.family: theme.headingFont
            font.pixelSize: layout.s(26)
            font.bold: true
            color: theme.text
        }
        Text {
            objectName: "announcementDate"
            Layout.leftMargin: layout.s(12)
            visible: text !== ""
            text: page.detail.dateText !== undefined ? page.detail.dateText : ""
            textFormat: Text.PlainText
            font.pixelSize: layout.s(14)
            color: theme.secondaryText
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: theme.border
        }

        Flickable {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.leftMargin: layout.s(12)
            Layout.rightMargin: layout.s(12)
            contentWidth: width
            contentHeight: body.implicitHeight
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            Text {
                id: body
                objectName: "announcementContent"
                width: scroller.width
                text: page.detail.content !== undefined ? page.detail.content : ""
                textFormat: Text.RichText
                wrapMode: Text.WordWrap
                font.pixelSize: layout.s(16)
                lineHeight: 1.3
                color: theme.text
                linkColor: theme.accent
                onLinkActivated: (link) => links.open(link)
            }
        }
    }
}
