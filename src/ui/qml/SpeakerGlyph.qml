import QtQuick

// A loudspeaker with two sound waves, drawn so that it takes the theme's colours.
Canvas {
    id: glyph
    property color tint: theme.secondaryText

    onTintChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        const w = width, h = height
        ctx.fillStyle = tint
        ctx.strokeStyle = tint
        ctx.lineCap = "round"
        ctx.lineWidth = Math.max(1, w * 0.08)
        // The speaker: a small box and its cone.
        ctx.beginPath()
        ctx.moveTo(w * 0.08, h * 0.38)
        ctx.lineTo(w * 0.26, h * 0.38)
        ctx.lineTo(w * 0.48, h * 0.16)
        ctx.lineTo(w * 0.48, h * 0.84)
        ctx.lineTo(w * 0.26, h * 0.62)
        ctx.lineTo(w * 0.08, h * 0.62)
        ctx.closePath()
        ctx.fill()
        // Two waves.
        for (let i = 1; i <= 2; ++i) {
            ctx.beginPath()
            ctx.arc(w * 0.48, h * 0.5, w * (0.16 + 0.17 * i), -Math.PI / 4, Math.PI / 4, false)
            ctx.stroke()
        }
    }
}
