import QtQuick
import QtQuick.Layouts

// The token scarcity index: six coloured bands over a 240° arc, each with its label, and a
// needle that follows the view model's animated value.
Rectangle {
    id: card
    objectName: "scarcityGauge"
    readonly property var gauge: dashboard.gauge
    // The arc runs clockwise from 210° (value 0) to -30° (value 100).
    readonly property real startAngle: 210
    readonly property real sweep: 240
    readonly property real arcWidth: layout.s(22)
    readonly property real cx: plot.width / 2
    readonly property real cy: plot.height * 0.6
    // Room above the arc for the top band's label.
    readonly property real radius_: Math.max(10, Math.min(plot.width * 0.26,
                                                          cy - arcWidth / 2 - layout.s(30)))

    function angleFor(value) { return startAngle - sweep * value / 100 }

    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    Text {
        id: title
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.margins: layout.s(20)
        text: card.gauge.title
        textFormat: Text.PlainText
        font.family: theme.headingFont
        font.pixelSize: layout.s(22)
        font.bold: true
        color: theme.text
    }

    Item {
        id: plot
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: title.bottom
        anchors.bottom: parent.bottom
        anchors.margins: layout.s(12)

        Canvas {
            id: arcs
            objectName: "gaugeArcs"
            anchors.fill: parent
            onWidthChanged: requestPaint()
            onHeightChanged: requestPaint()

            onPaint: {
                const ctx = getContext("2d")
                ctx.reset()
                ctx.lineWidth = card.arcWidth
                ctx.lineCap = "butt"
                const gap = 0.8  // degrees between bands
                const segments = card.gauge.segments
                for (let i = 0; i < segments.length; ++i) {
                    const s = segments[i]
                    const from = -(card.angleFor(s.lower) - (i === 0 ? 0 : gap / 2))
                    const to = -(card.angleFor(s.upper) + (i === segments.length - 1 ? 0 : gap / 2))
                    ctx.beginPath()
                    ctx.strokeStyle = s.color
                    ctx.arc(card.cx, card.cy, card.radius_, from * Math.PI / 180,
                            to * Math.PI / 180, false)
                    ctx.stroke()
                }
                // Ticks every 10 points inside the arc.
                ctx.strokeStyle = theme.border
                ctx.lineWidth = Math.max(1, layout.s(2))
                for (let v = 0; v <= 100; v += 10) {
                    const a = card.angleFor(v) * Math.PI / 180
                    const r1 = card.radius_ - card.arcWidth / 2 - layout.s(4)
                    const r2 = r1 - layout.s(v % 50 === 0 ? 10 : 6)
                    ctx.beginPath()
                    ctx.moveTo(card.cx + r1 * Math.cos(a), card.cy - r1 * Math.sin(a))
                    ctx.lineTo(card.cx + r2 * Math.cos(a), card.cy - r2 * Math.sin(a))
                    ctx.stroke()
                }
            }
        }

        // Band labels just outside the arc, at each band's middle.
        Repeater {
            model: card.gauge.segments
            delegate: Text {
                required property var modelData
                readonly property real angle: card.angleFor((modelData.lower + modelData.upper) / 2) * Math.PI / 180
                readonly property real r: card.radius_ + card.arcWidth / 2 + layout.s(8)
                readonly property real px: card.cx + r * Math.cos(angle)
                readonly property real py: card.cy - r * Math.sin(angle)
                text: modelData.label
                textFormat: Text.PlainText
                font.pixelSize: layout.s(13)
                color: theme.secondaryText
                x: Math.cos(angle) > 0.3 ? px : (Math.cos(angle) < -0.3 ? px - width : px - width / 2)
                y: Math.sin(angle) > 0.3 ? py - height : (Math.sin(angle) < -0.3 ? py : py - height / 2)
            }
        }

        // The needle: a tapered bar from the centre, turned to the displayed value.
        Rectangle {
            id: needle
            objectName: "gaugeNeedle"
            readonly property real length: card.radius_ - card.arcWidth / 2 - layout.s(14)
            x: card.cx
            y: card.cy - height / 2
            width: length
            height: layout.s(5)
            radius: height / 2
            color: theme.text
            antialiasing: true
            transformOrigin: Item.Left
            rotation: -card.angleFor(card.gauge.displayValue)
        }
        Rectangle {
            width: layout.s(22)
            height: width
            radius: width / 2
            x: card.cx - width / 2
            y: card.cy - height / 2
            color: card.gauge.segmentColor
            border.color: theme.text
            border.width: layout.s(4)
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            y: card.cy + layout.s(24)
            spacing: layout.s(2)
            Text {
                objectName: "gaugeValue"
                anchors.horizontalCenter: parent.horizontalCenter
                text: Math.round(card.gauge.displayValue)
                textFormat: Text.PlainText
                font.family: theme.headingFont
                font.pixelSize: layout.s(34)
                font.bold: true
                color: card.gauge.segmentColor
            }
            Text {
                objectName: "gaugeLevel"
                anchors.horizontalCenter: parent.horizontalCenter
                text: card.gauge.segmentLabel
                textFormat: Text.PlainText
                font.pixelSize: layout.s(15)
                color: theme.secondaryText
            }
        }
    }
}
