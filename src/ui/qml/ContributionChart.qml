import QtQuick
import QtQuick.Layouts

// The user's recent contribution: a curve over the recent records scaled to the largest value,
// date labels below and value labels above the points, a highlighted point under the pointer or
// selected by a click, and the total counting up.
Rectangle {
    id: card
    objectName: "contributionChart"
    readonly property var chart: dashboard.chart
    readonly property real sidePadding: layout.s(28)
    readonly property real topPadding: layout.s(30)
    readonly property real bottomPadding: layout.s(30)

    function xFor(i, count) {
        const w = plot.width - 2 * sidePadding
        return count <= 1 ? plot.width / 2 : sidePadding + w * i / (count - 1)
    }
    function yFor(value) {
        const h = plot.height - topPadding - bottomPadding
        return plot.height - bottomPadding - Math.max(0, value) / chart.plotMax * h
    }
    // The highlighted point: the hovered one, else the selected one.
    readonly property int highlighted: chart.hoveredIndex >= 0 ? chart.hoveredIndex : chart.selectedIndex

    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    RowLayout {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: layout.s(20)
        Text {
            text: shell.text("chart_recent_contribution")
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(22)
            font.bold: true
            color: theme.text
        }
        Item { Layout.fillWidth: true }
        Text {
            objectName: "contributionTotal"
            text: card.chart.displayedContributionText
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(26)
            font.bold: true
            color: theme.accent
        }
        Text {
            text: shell.text("contribution_unit")
            textFormat: Text.PlainText
            font.pixelSize: layout.s(15)
            color: theme.secondaryText
            Layout.alignment: Qt.AlignBaseline
        }
    }

    Item {
        id: plot
        objectName: "chartPlot"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        anchors.margins: layout.s(12)
        visible: !card.chart.isEmpty

        Canvas {
            id: curve
            anchors.fill: parent
            onWidthChanged: requestPaint()
            onHeightChanged: requestPaint()
            Connections {
                target: card.chart
                function onPlotChanged() { curve.requestPaint() }
                function onHighlightChanged() { curve.requestPaint() }
            }

            onPaint: {
                const ctx = getContext("2d")
                ctx.reset()
                const values = card.chart.plotValues
                const n = values.length
                if (n === 0)
                    return
                const baseline = height - card.bottomPadding
                // Grid lines at quarters of the scale.
                ctx.strokeStyle = theme.border
                ctx.lineWidth = 1
                for (let q = 0; q <= 4; ++q) {
                    const y = Math.round(card.topPadding + (baseline - card.topPadding) * q / 4) + 0.5
                    ctx.beginPath()
                    ctx.moveTo(card.sidePadding / 2, y)
                    ctx.lineTo(width - card.sidePadding / 2, y)
                    ctx.stroke()
                }
                const pts = []
                for (let i = 0; i < n; ++i)
                    pts.push({ x: card.xFor(i, n), y: card.yFor(values[i]) })
                // A smooth curve: cubic segments with horizontal tangents at the points.
                function trace() {
                    ctx.moveTo(pts[0].x, pts[0].y)
                    for (let i = 1; i < n; ++i) {
                        const mx = (pts[i - 1].x + pts[i].x) / 2
                        ctx.bezierCurveTo(mx, pts[i - 1].y, mx, pts[i].y, pts[i].x, pts[i].y)
                    }
                }
                const fill = ctx.createLinearGradient(0, card.topPadding, 0, baseline)
                fill.addColorStop(0, Qt.rgba(0.231, 0.51, 0.965, 0.28))
                fill.addColorStop(1, Qt.rgba(0.231, 0.51, 0.965, 0.02))
                ctx.beginPath()
                trace()
                ctx.lineTo(pts[n - 1].x, baseline)
                ctx.lineTo(pts[0].x, baseline)
                ctx.closePath()
                ctx.fillStyle = fill
                ctx.fill()
                ctx.beginPath()
                trace()
                ctx.strokeStyle = theme.accent
                ctx.lineWidth = layout.s(3)
                ctx.stroke()
                const hi = card.highlighted
                if (hi >= 0 && hi < n) {
                    ctx.strokeStyle = theme.secondaryText
                    ctx.lineWidth = 1
                    ctx.setLineDash([4, 4])
                    ctx.beginPath()
                    ctx.moveTo(pts[hi].x, card.topPadding)
                    ctx.lineTo(pts[hi].x, baseline)
                    ctx.stroke()
                    ctx.setLineDash([])
                }
                for (let i = 0; i < n; ++i) {
                    const r = i === hi ? layout.s(8) : layout.s(5)
                    ctx.beginPath()
                    ctx.arc(pts[i].x, pts[i].y, r, 0, 2 * Math.PI)
                    ctx.fillStyle = i === hi ? theme.accent : theme.surface
                    ctx.fill()
                    ctx.lineWidth = layout.s(2.5)
                    ctx.strokeStyle = theme.accent
                    ctx.stroke()
                }
            }
        }

        // Date labels under the points, value labels above them.
        Repeater {
            objectName: "chartPoints"
            model: card.chart.points
            delegate: Item {
                required property var modelData
                required property int index
                readonly property real px: card.xFor(index, card.chart.points.length)
                readonly property real py: card.yFor(card.chart.plotValues[index] !== undefined ? card.chart.plotValues[index] : 0)
                Text {
                    objectName: "chartDateLabel"
                    text: modelData.dateLabel
                    textFormat: Text.PlainText
                    x: px - width / 2
                    y: plot.height - card.bottomPadding + layout.s(8)
                    font.pixelSize: layout.s(13)
                    color: index === card.highlighted ? theme.text : theme.secondaryText
                    font.bold: index === card.highlighted
                }
                Text {
                    objectName: "chartValueLabel"
                    text: modelData.valueLabel
                    textFormat: Text.PlainText
                    x: px - width / 2
                    y: py - height - layout.s(8)
                    font.pixelSize: layout.s(index === card.highlighted ? 15 : 13)
                    font.bold: index === card.highlighted
                    color: index === card.highlighted ? theme.accent : theme.secondaryText
                }
            }
        }

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            function indexAt(mx) {
                const n = card.chart.points.length
                if (n === 0)
                    return -1
                let best = 0
                for (let i = 1; i < n; ++i) {
                    if (Math.abs(card.xFor(i, n) - mx) < Math.abs(card.xFor(best, n) - mx))
                        best = i
                }
                return best
            }
            onPositionChanged: (mouse) => card.chart.hoveredIndex = indexAt(mouse.x)
            onExited: card.chart.hoveredIndex = -1
            onClicked: (mouse) => card.chart.toggleSelection(indexAt(mouse.x))
        }
    }

    Text {
        objectName: "chartNoData"
        anchors.centerIn: plot
        visible: card.chart.isEmpty
        text: shell.text("no_data")
        textFormat: Text.PlainText
        font.pixelSize: layout.s(16)
        color: theme.secondaryText
    }
}
