import QtQuick
import QtQuick.Layouts

// One row of the account page: a title, a description and a control on the right.
Rectangle {
    id: row
    property string title: ""
    property string description: ""
    default property alias control: slot.data
    signal clicked()
    property bool clickable: false

    Layout.fillWidth: true
    implicitHeight: Math.max(texts.implicitHeight, slot.childrenRect.height) + layout.s(32)
    radius: layout.s(12)
    color: theme.surface
    border.color: theme.border

    MouseArea {
        anchors.fill: parent
        enabled: row.clickable
        cursorShape: row.clickable ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: row.clicked()
    }

    ColumnLayout {
        id: texts
        anchors.left: parent.left
        anchors.right: slot.left
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: layout.s(20)
        anchors.rightMargin: layout.s(16)
        spacing: layout.s(4)
        Text {
            text: row.title
            textFormat: Text.PlainText
            font.pixelSize: layout.s(18)
            font.bold: true
            color: theme.text
        }
        Text {
            Layout.fillWidth: true
            visible: text !== ""
            text: row.description
            textFormat: Text.PlainText
            font.pixelSize: layout.s(15)
            color: theme.secondaryText
            wrapMode: Text.Wrap
        }
    }

    Item {
        id: slot
        anchors.right: parent.right
        anchors.rightMargin: layout.s(20)
        anchors.verticalCenter: parent.verticalCenter
        width: childrenRect.width
        height: childrenRect.height
    }
}
