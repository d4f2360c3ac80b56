import QtQuick
import QtQuick.Controls

// "‹ Back" at the top of the announcement pages.
Button {
    id: button
    text: shell.text("back")
    flat: true
    font.pixelSize: layout.s(17)
    contentItem: Row {
        spacing: layout.s(6)
        Text {
            text: "‹"
            textFormat: Text.PlainText
            font.pixelSize: layout.s(28)
            color: theme.accent
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: button.text
            textFormat: Text.PlainText
            font: button.font
            color: theme.accent
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    background: Rectangle {
        radius: layout.s(10)
        color: button.hovered ? theme.surfaceAlt : "transparent"
    }
}
