import QtQuick
import QtQuick.Controls

// The key input: dots until revealed, a red outline on error, Return submits.
Rectangle {
    id: root
    property alias text: input.text
    property string placeholder: ""
    property bool hasError: false
    property bool revealed: false
    signal submitted()

    implicitHeight: layout.s(56)
    radius: layout.s(10)
    color: theme.surfaceAlt
    border.width: hasError || input.activeFocus ? 2 : 1
    border.color: hasError ? theme.danger : (input.activeFocus ? theme.accent : theme.border)

    TextField {
        id: input
        objectName: "keyField"
        anchors.left: parent.left
        anchors.right: eye.left
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: layout.s(14)
        echoMode: root.revealed ? TextInput.Normal : TextInput.Password
        placeholderText: root.placeholder
        placeholderTextColor: theme.secondaryText
        color: theme.text
        font.pixelSize: layout.s(18)
        background: Item {}
        onAccepted: root.submitted()
    }

    ToolButton {
        id: eye
        objectName: "revealButton"
        anchors.right: parent.right
        anchors.rightMargin: layout.s(6)
        anchors.verticalCenter: parent.verticalCenter
        text: root.revealed ? shell.text("key_hide") : shell.text("key_show")
        font.pixelSize: layout.s(14)
        onClicked: root.revealed = !root.revealed
    }
}
