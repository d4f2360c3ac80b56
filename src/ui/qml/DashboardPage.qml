import QtQuick

Rectangle {
    objectName: "dashboardPage"
    radius: layout.s(16)
    color: theme.surface
    border.color: theme.border

    Column {
        anchors.centerIn: parent
        spacing: layout.s(10)
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: shell.text("dashboard")
            font.family: theme.headingFont
            font.pixelSize: layout.s(30)
            font.bold: true
            color: theme.text
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: shell.text("dashboard_placeholder")
            font.pixelSize: layout.s(17)
            color: theme.secondaryText
        }
    }
}
