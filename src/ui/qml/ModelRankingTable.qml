import QtQuick
import QtQuick.Layouts

// The ranking of AI models: a header and one row per model, all on one set of column widths.
Rectangle {
    id: card
    objectName: "modelRankingTable"
    readonly property var table: dashboard.table
    readonly property real padding: layout.s(18)
    readonly property var columns: table.columns
    // The model column takes what the others leave; every row reads the same widths.
    readonly property var widths: {
        const out = []
        let sum = 0
        for (let i = 0; i < columns.length; ++i) {
            out.push(columns[i].width)
            sum += columns[i].width
        }
        if (out.length > 0)
            out[0] += Math.max(0, width - 2 * padding - sum)
        return out
    }

    implicitHeight: body.implicitHeight + 2 * padding
    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    ColumnLayout {
        id: body
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: card.padding
        spacing: layout.s(4)

        RowLayout {
            Layout.fillWidth: true
            spacing: layout.s(20)
            Text {
                text: shell.text("model_ranking_title")
                textFormat: Text.PlainText
                font.family: theme.headingFont
                font.pixelSize: layout.s(22)
                font.bold: true
                color: theme.text
            }
            // What the figures mean, beside the title so that the rows keep the room.
            Text {
                objectName: "modelTableLegend"
                Layout.fillWidth: true
                text: shell.text("table_filter_latency") + "  " + shell.text("table_response_time")
                      + "  " + shell.text("table_data_display")
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                elide: Text.ElideRight
                font.pixelSize: layout.s(12)
                color: theme.secondaryText
            }
        }

        // Header row.
        Rectangle {
            objectName: "modelTableHeader"
            Layout.fillWidth: true
            implicitHeight: layout.s(48)
            radius: layout.s(10)
            color: theme.surfaceAlt
            Row {
                anchors.fill: parent
                Repeater {
                    model: card.columns
                    delegate: Column {
                        required property var modelData
                        required property int index
                        width: card.widths[index]
                        anchors.verticalCenter: parent.verticalCenter
                        leftPadding: index === 0 ? layout.s(14) : 0
                        Text {
                            width: parent.width - parent.leftPadding
                            text: modelData.title
                            textFormat: Text.PlainText
                            horizontalAlignment: index === 0 ? Text.AlignLeft : Text.AlignHCenter
                            font.pixelSize: layout.s(15)
                            font.bold: true
                            color: theme.text
                            elide: Text.ElideRight
                        }
                        Text {
                            width: parent.width - parent.leftPadding
                            text: modelData.subtitle
                            textFormat: Text.PlainText
                            horizontalAlignment: index === 0 ? Text.AlignLeft : Text.AlignHCenter
                            font.pixelSize: layout.s(12)
                            color: theme.secondaryText
                            elide: Text.ElideRight
                        }
                    }
                }
            }
        }

        Repeater {
            objectName: "modelRows"
            model: card.table.rows
            delegate: Rectangle {
                id: row
                required property var modelData
                required property int index
                objectName: "modelRow_" + index
                Layout.fillWidth: true
                implicitHeight: layout.s(42)
                radius: layout.s(10)
                color: card.table.hoveredRow === index ? theme.surfaceAlt : "transparent"

                Row {
                    anchors.fill: parent
                    // The model: icon, name and creator.
                    Item {
                        width: card.widths[0]
                        height: parent.height
                        Row {
                            anchors.verticalCenter: parent.verticalCenter
                            x: layout.s(14)
                            spacing: layout.s(12)
                            ModelIcon {
                                anchors.verticalCenter: parent.verticalCenter
                                url: row.modelData.iconSrc
                                name: row.modelData.name
                                size: layout.s(32)
                            }
                            Column {
                                anchors.verticalCenter: parent.verticalCenter
                                Text {
                                    objectName: "modelName"
                                    text: row.modelData.name
                                    textFormat: Text.PlainText
                                    width: card.widths[0] - layout.s(70)
                                    elide: Text.ElideRight
                                    font.pixelSize: layout.s(15)
                                    font.bold: true
                                    color: theme.text
                                }
                                Text {
                                    text: row.modelData.creator
                                    textFormat: Text.PlainText
                                    width: card.widths[0] - layout.s(70)
                                    elide: Text.ElideRight
                                    font.pixelSize: layout.s(12)
                                    color: theme.secondaryText
                                }
                            }
                        }
                    }
                    Repeater {
                        model: ["contextWindow", "intelligence", "price", "speed", "latency", "responseTime"]
                        delegate: Text {
                            required property string modelData
                            required property int index
                            width: card.widths[index + 1]
                            height: row.height
                            verticalAlignment: Text.AlignVCenter
                            horizontalAlignment: Text.AlignHCenter
                            text: row.modelData[modelData]
                            textFormat: Text.PlainText
                            font.pixelSize: layout.s(15)
                            font.family: "DejaVu Sans Mono"
                            color: text === "--" ? theme.secondaryText : theme.text
                        }
                    }
                }

                MouseArea {
                    anchors.fill: parent
                    hoverEnabled: true
                    onEntered: card.table.hoveredRow = row.index
                    onExited: if (card.table.hoveredRow === row.index) card.table.hoveredRow = -1
                }
            }
        }
    }
}
