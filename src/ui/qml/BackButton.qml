import QtQuick
import QtQuick.Controls

// "‹ Back" at the top of the announcement pages.
Button {
    id: button
    text: "‹  " + shell.text("back")
    flat: true
    font.pixelSize: layout.s(16)
    contentItem: Text {
        text: button.text
        font: button.font
        color: theme.accent
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: layout.s(10)
        color: button.hovered ? theme.surfaceAlt : "transparent"
    }
}
