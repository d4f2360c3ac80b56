import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ScrollView {
    id: page
    objectName: "accountPage"
    clip: true
    contentWidth: availableWidth
    readonly property var info: deviceInfo.deviceInfo

    Component.onCompleted: {
        profile.refresh()
        deviceInfo.refresh()
    }

    ColumnLayout {
        width: page.availableWidth
        spacing: layout.s(14)

        Text {
            text: shell.text("account_info")
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(30)
            font.bold: true
            color: theme.text
        }
        Text {
            text: shell.text("profile_subtitle")
            textFormat: Text.PlainText
            font.pixelSize: layout.s(16)
            color: theme.secondaryText
        }

        AccountRow {
            objectName: "keyRow"
            title: shell.text("profile_set_key")
            description: profile.maskedKey
            RowLayout {
                spacing: layout.s(10)
                KeyField {
                    id: keyField
                    Layout.preferredWidth: layout.s(420)
                    text: profile.key
                    onTextChanged: profile.key = text
                    placeholder: shell.text("key_login_input_placeholder")
                    hasError: profile.errorMessage !== "" && profile.key !== ""
                    onSubmitted: profile.save()
                }
                Button {
                    objectName: "saveKeyButton"
                    text: shell.text("save")
                    enabled: profile.isSaveEnabled && !profile.isBinding
                    onClicked: profile.save()
                }
            }
        }

        Text {
            objectName: "profileError"
            visible: profile.errorMessage !== ""
            text: profile.errorMessage
            textFormat: Text.PlainText
            color: theme.danger
            font.pixelSize: layout.s(15)
        }

        AccountRow {
            objectName: "pauseOnBatteryRow"
            title: shell.text("profile_pause_on_battery")
            description: shell.text(power.hasBattery ? "profile_pause_on_battery_desc"
                                                     : "profile_pause_on_battery_no_battery")
            Switch {
                objectName: "pauseOnBatterySwitch"
                checked: power.pauseOnBattery
                onToggled: power.pauseOnBattery = checked
            }
        }

        AccountRow {
            title: shell.text("profile_auto_launch")
            description: shell.text("profile_auto_launch_desc")
            Switch {
                objectName: "autoLaunchSwitch"
                checked: profile.isAutoLaunchEnabled
                onToggled: profile.setAutoLaunch(checked)
            }
        }

        AccountRow {
            objectName: "versionRow"
            title: profile.versionText
            description: profile.versionStatus
            Button {
                objectName: "checkUpdateButton"
                text: shell.text("profile_check_update")
                enabled: !profile.isCheckingVersion
                onClicked: profile.checkForUpdates()
            }
        }

        AccountRow {
            objectName: "privacyRow"
            title: shell.text("login_privacy_policy")
            description: shell.text("profile_privacy_desc")
            clickable: true
            onClicked: pageContent.open("privacy")
            Text { text: "›"; font.pixelSize: layout.s(26); color: theme.secondaryText }
        }

        AccountRow {
            objectName: "termsRow"
            title: shell.text("login_terms_of_service")
            description: shell.text("profile_terms_desc")
            clickable: true
            onClicked: pageContent.open("terms")
            Text { text: "›"; font.pixelSize: layout.s(26); color: theme.secondaryText }
        }

        AccountRow {
            objectName: "aboutRow"
            title: shell.text("page_title_about")
            clickable: true
            onClicked: pageContent.open("about")
            Text { text: "›"; font.pixelSize: layout.s(26); color: theme.secondaryText }
        }

        Text {
            Layout.topMargin: layout.s(10)
            text: shell.text("profile_system")
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(22)
            font.bold: true
            color: theme.text
        }
        InfoCard {
            Layout.fillWidth: true
            title: ""
            rows: [["device_field_os", page.info.os],
                   ["device_field_kernel", page.info.kernel],
                   ["device_field_arch", page.info.arch],
                   ["device_field_product_name", page.info.productName]]
        }
    }
}
