import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Rectangle {
    id: bar
    objectName: "topBar"
    implicitHeight: layout.s(84)
    color: theme.surface

    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: theme.border
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: layout.s(28)
        anchors.rightMargin: layout.s(28)
        spacing: layout.s(20)

        Image {
            source: "qrc:/icons/corvanta.svg"
            Layout.preferredWidth: layout.s(40)
            Layout.preferredHeight: layout.s(40)
            sourceSize: Qt.size(width, height)
        }
        Text {
            text: shell.text("app_name")
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(28)
            font.bold: true
            color: theme.text
        }

        Item { Layout.fillWidth: true }

        // The module switcher.
        Rectangle {
            Layout.preferredHeight: layout.s(52)
            Layout.preferredWidth: modules.implicitWidth + layout.s(12)
            radius: layout.s(12)
            color: theme.surfaceAlt
            Row {
                id: modules
                anchors.centerIn: parent
                spacing: layout.s(4)
                Repeater {
                    model: shell.modules
                    delegate: Button {
                        id: moduleButton
                        // {module, word}: see AppShellViewModel::modules.
                        required property var modelData
                        objectName: "module_" + modelData.word
                        readonly property bool selected: shell.selectedModule === modelData.module
                        height: layout.s(42)
                        leftPadding: layout.s(22)
                        rightPadding: layout.s(22)
                        onClicked: shell.selectedModule = modelData.module
                        background: Rectangle {
                            radius: layout.s(9)
                            color: moduleButton.selected ? theme.surface : "transparent"
                            border.color: moduleButton.selected ? theme.border : "transparent"
                        }
                        contentItem: Text {
                            text: shell.text(moduleButton.modelData.word)
                            textFormat: Text.PlainText
                            font.pixelSize: layout.s(17)
                            font.bold: moduleButton.selected
                            color: moduleButton.selected ? theme.accent : theme.secondaryText
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
            }
        }

        Item { Layout.fillWidth: true }

        // The connection indicator.
        Row {
            objectName: "connectionIndicator"
            spacing: layout.s(8)
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: layout.s(12)
                height: width
                radius: width / 2
                color: theme[shell.connectionColor]
            }
            Text {
                objectName: "connectionLabel"
                anchors.verticalCenter: parent.verticalCenter
                text: shell.connectionText
                textFormat: Text.PlainText
                font.pixelSize: layout.s(16)
                color: theme.secondaryText
            }
        }

        Button {
            id: logoutButton
            objectName: "logoutButton"
            readonly property bool armed: shell.logout.armed
            Layout.preferredHeight: layout.s(44)
            leftPadding: layout.s(18)
            rightPadding: layout.s(18)
            onClicked: shell.logout.click()
            background: Rectangle {
                radius: layout.s(10)
                color: logoutButton.armed ? theme.danger : "transparent"
                border.color: logoutButton.armed ? theme.danger : theme.border
            }
            contentItem: Text {
                text: logoutButton.armed ? shell.text("logout_confirm") : shell.text("logout")
                textFormat: Text.PlainText
                font.pixelSize: layout.s(16)
                color: logoutButton.armed ? "#FFFFFF" : theme.text
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }
}
