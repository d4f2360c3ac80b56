import QtQuick
import QtQuick.Controls

// About, privacy or terms, shown over the window while the page model says so.
Popup {
    id: sheet
    objectName: "contentSheet"
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent.width - layout.s(60), layout.s(1100))
    height: parent.height - layout.s(60)
    modal: true
    visible: pageContent.isPresented
    closePolicy: Popup.CloseOnEscape
    onClosed: pageContent.close()
    padding: 0

    // The document's colours follow the window's appearance.
    Binding {
        target: pageContent
        property: "dark"
        value: theme.dark
    }

    background: Rectangle {
        color: theme.surface
        radius: layout.s(14)
        border.color: theme.border
    }

    Item {
        anchors.fill: parent

        Text {
            id: title
            objectName: "contentTitle"
            anchors.left: parent.left
            anchors.right: closeButton.left
            anchors.top: parent.top
            anchors.margins: layout.s(22)
            text: pageContent.title
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(26)
            font.bold: true
            color: theme.text
            elide: Text.ElideRight
        }

        Button {
            id: closeButton
            objectName: "contentCloseButton"
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: layout.s(16)
            text: "✕"
            flat: true
            onClicked: pageContent.close()
        }

        ScrollView {
            id: scroll
            objectName: "contentScroll"
            anchors.top: title.bottom
            anchors.topMargin: layout.s(16)
            // Qt's rich text leaves out the document's body padding; the view supplies it.
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 22
            anchors.rightMargin: 22
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 34
            visible: !pageContent.isLoading && pageContent.errorMessage === ""
            clip: true
            contentWidth: availableWidth

            Text {
                objectName: "contentText"
                width: scroll.availableWidth
                textFormat: Text.RichText
                wrapMode: Text.Wrap
                text: pageContent.htmlContent
                onLinkActivated: (link) => links.open(link)
            }
        }

        BusyIndicator {
            anchors.centerIn: parent
            running: pageContent.isLoading
            visible: running
        }

        Column {
            anchors.centerIn: parent
            visible: !pageContent.isLoading && pageContent.errorMessage !== ""
            spacing: layout.s(10)
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "⚠"
                textFormat: Text.PlainText
                font.pixelSize: layout.s(36)
                color: theme.warning
            }
            Text {
                objectName: "contentError"
                text: pageContent.errorMessage
                textFormat: Text.PlainText
                color: theme.text
                font.pixelSize: layout.s(16)
            }
        }
    }
}
