import QtQuick
import QtQuick.Layouts

// One card of the device page: a heading and label/value rows.
Rectangle {
    id: card
    property string title: ""
    // [[label key, value], ...]
    property var rows: []

    implicitHeight: column.implicitHeight + layout.s(40)
    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: layout.s(20)
        spacing: layout.s(10)

        Text {
            visible: card.title !== ""
            text: card.title
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(22)
            font.bold: true
            color: theme.text
        }

        Repeater {
            model: card.rows
            delegate: RowLayout {
                required property var modelData
                Layout.fillWidth: true
                spacing: layout.s(12)
                Text {
                    text: shell.text(modelData[0])
                    textFormat: Text.PlainText
                    font.pixelSize: layout.s(16)
                    color: theme.secondaryText
                    Layout.preferredWidth: layout.s(170)
                }
                Text {
                    text: modelData[1] !== undefined && modelData[1] !== "" ? modelData[1] : "—"
                    textFormat: Text.PlainText
                    font.pixelSize: layout.s(16)
                    color: theme.text
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                }
            }
        }
    }
}
