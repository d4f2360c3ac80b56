import QtQuick
import QtQuick.Layouts
import Corvanta.Ui

Item {
    id: root
    objectName: "mainView"

    TopBar {
        id: topBar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
    }

    Item {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: topBar.bottom
        anchors.bottom: parent.bottom
        anchors.margins: layout.s(24)

        // Kept alive so the gauge and chart keep their state; told when it is shown.
        DashboardPage {
            anchors.fill: parent
            isActive: shell.selectedModule === WindowModule.Dashboard
            visible: isActive
        }
        Loader {
            anchors.fill: parent
            active: shell.selectedModule === WindowModule.DeviceInfo
            sourceComponent: DevicePage {}
        }
        // Kept alive so its scroll position survives page switches; told when it is shown.
        RunLogPage {
            anchors.fill: parent
            isActive: shell.selectedModule === WindowModule.RunLog
            visible: isActive
        }
        Loader {
            anchors.fill: parent
            active: shell.selectedModule === WindowModule.AccountInfo
            sourceComponent: AccountPage {}
        }
    }
}
