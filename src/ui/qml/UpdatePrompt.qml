import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Over the whole window while an update is offered; a mandatory one cannot be closed.
Rectangle {
    id: root
    objectName: "updatePrompt"
    visible: updatePrompt.isVisible
    color: "#80000000"
    z: 100

    // Clicks do not reach the pages below.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
    }

    Rectangle {
        anchors.centerIn: parent
        width: layout.s(620)
        height: content.implicitHeight + layout.s(56)
        radius: layout.s(16)
        color: theme.surface
        border.color: theme.border

        Button {
            objectName: "updateCloseButton"
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: layout.s(10)
            text: "✕"
            flat: true
            enabled: !updatePrompt.isMandatory
            opacity: enabled ? 1 : 0.35
            onClicked: updatePrompt.close()
        }

        ColumnLayout {
            id: content
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: layout.s(28)
            spacing: layout.s(12)

            Text {
                objectName: "updateTitle"
                text: updatePrompt.title
                textFormat: Text.PlainText
                font.family: theme.headingFont
                font.pixelSize: layout.s(28)
                font.bold: true
                color: theme.text
            }
            Text {
                text: updatePrompt.currentVersion
                textFormat: Text.PlainText
                font.pixelSize: layout.s(16)
                color: theme.secondaryText
            }
            Text {
                visible: updatePrompt.packageSize !== ""
                text: updatePrompt.packageSize
                textFormat: Text.PlainText
                font.pixelSize: layout.s(16)
                color: theme.secondaryText
            }
            Text {
                Layout.topMargin: layout.s(8)
                text: updatePrompt.descriptionTitle
                textFormat: Text.PlainText
                font.pixelSize: layout.s(18)
                font.bold: true
                color: theme.text
            }
            Text {
                objectName: "updateNotes"
                Layout.fillWidth: true
                text: updatePrompt.description
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: layout.s(16)
                color: theme.text
            }
            Button {
                id: updateButton
                objectName: "updateButton"
                visible: updatePrompt.canDownload
                Layout.topMargin: layout.s(8)
                Layout.fillWidth: true
                Layout.preferredHeight: layout.s(50)
                onClicked: updatePrompt.update()
                background: Rectangle {
                    radius: layout.s(10)
                    color: updateButton.down ? Qt.darker(theme.accent, 1.2) : theme.accent
                }
                contentItem: Text {
                    text: updatePrompt.buttonTitle
                    textFormat: Text.PlainText
                    color: theme.accentText
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    font.pixelSize: layout.s(18)
                    font.bold: true
                }
            }
        }
    }
}
