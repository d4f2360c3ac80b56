import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Item {
    id: page
    objectName: "loginPage"
    property bool hasAgreed: false

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - layout.s(80), layout.s(520))
        spacing: layout.s(16)

        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: layout.s(12)
            Image {
                source: "qrc:/icons/corvanta.svg"
                width: layout.s(48)
                height: width
                sourceSize: Qt.size(width, height)
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: shell.text("app_name")
                textFormat: Text.PlainText
                font.family: theme.headingFont
                font.pixelSize: layout.s(34)
                font.bold: true
                color: theme.text
            }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: shell.text("key_login_welcome")
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(24)
            color: theme.text
        }

        Text {
            text: shell.text("key_login_input_label")
            textFormat: Text.PlainText
            font.pixelSize: layout.s(16)
            color: theme.secondaryText
        }

        KeyField {
            id: keyField
            Layout.fillWidth: true
            text: loginModel.key
            onTextChanged: loginModel.key = text
            placeholder: shell.text("key_login_input_placeholder")
            hasError: loginModel.hasError
            onSubmitted: loginModel.submit()
        }

        Text {
            objectName: "loginError"
            Layout.fillWidth: true
            visible: loginModel.hasError
            text: loginModel.errorMessage
            textFormat: Text.PlainText
            color: theme.danger
            wrapMode: Text.Wrap
            font.pixelSize: layout.s(15)
        }

        RowLayout {
            spacing: layout.s(8)
            CheckBox {
                objectName: "agreementCheckBox"
                checked: page.hasAgreed
                onToggled: page.hasAgreed = checked
                padding: 0
            }
            Text {
                objectName: "agreementText"
                Layout.fillWidth: true
                text: loginModel.agreementHtml
                textFormat: Text.StyledText
                linkColor: theme.accent
                color: theme.secondaryText
                wrapMode: Text.Wrap
                font.pixelSize: layout.s(15)
                onLinkActivated: (link) => {
                    const type = loginModel.pageTypeForLink(link)
                    if (type !== "")
                        pageContent.open(type)
                }
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.NoButton
                    cursorShape: parent.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.ArrowCursor
                }
            }
        }

        Button {
            id: connectButton
            objectName: "connectButton"
            Layout.fillWidth: true
            Layout.preferredHeight: layout.s(54)
            enabled: !loginModel.isLoading
            onClicked: loginModel.submit()
            background: Rectangle {
                radius: layout.s(10)
                color: connectButton.down ? Qt.darker(theme.accent, 1.2) : theme.accent
                opacity: connectButton.enabled ? 1 : 0.7
            }
            contentItem: Item {
                Text {
                    anchors.centerIn: parent
                    visible: !loginModel.isLoading
                    text: shell.text("key_login_connect")
                    textFormat: Text.PlainText
                    color: theme.accentText
                    font.pixelSize: layout.s(18)
                    font.bold: true
                }
                BusyIndicator {
                    objectName: "connectProgress"
                    anchors.centerIn: parent
                    running: loginModel.isLoading
                    visible: running
                    height: parent.height * 0.8
                    width: height
                }
            }
        }
    }
}
