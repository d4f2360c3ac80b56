import QtQuick
import Corvanta.Ui

// A model's icon from the window's SVG cache. Until it is drawn (and when it cannot be), a rounded
// tile with the model's first letter stands in for it.
Item {
    id: icon
    property url url
    property string name: ""
    property real size: layout.s(32)

    implicitWidth: size
    implicitHeight: size
    width: size
    height: size

    // A stable colour per model, so that neighbouring rows are told apart.
    readonly property var palette: ["#4F7CFF", "#7A5AF8", "#12B886", "#F59F00", "#E64980", "#15AABF"]
    function colourFor(text) {
        let h = 0
        for (let i = 0; i < text.length; ++i)
            h = (h * 31 + text.charCodeAt(i)) % 9973
        return palette[h % palette.length]
    }

    Rectangle {
        anchors.fill: parent
        visible: svg.status !== SvgIcon.Ready
        radius: icon.size * 0.28
        color: icon.colourFor(icon.name)
        Text {
            anchors.centerIn: parent
            text: icon.name.length > 0 ? icon.name.charAt(0).toUpperCase() : "?"
            textFormat: Text.PlainText
            font.pixelSize: icon.size * 0.5
            font.bold: true
            color: "#FFFFFF"
        }
    }

    SvgIcon {
        id: svg
        objectName: "modelIconSvg"
        anchors.fill: parent
        cache: svgImages
        url: icon.url
        visible: status === SvgIcon.Ready
    }
}
