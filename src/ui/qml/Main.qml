import QtQuick
import QtQuick.Controls
import QtQuick.Window

ApplicationWindow {
    id: window
    objectName: "mainWindow"
    visible: true
    title: "Corvanta"
    minimumWidth: shell.contentWidth
    minimumHeight: shell.contentHeight
    color: theme.background

    // The content size decides the window size; a maximised or full-screen window stays as it is.
    function fitContent() {
        if (window.visibility === Window.Maximized || window.visibility === Window.FullScreen)
            return
        window.width = shell.contentWidth
        window.height = shell.contentHeight
        window.x = Screen.virtualX + Math.max(0, (Screen.desktopAvailableWidth - window.width) / 2)
        window.y = Screen.virtualY + Math.max(0, (Screen.desktopAvailableHeight - window.height) / 2)
    }

    onWidthChanged: layout.width = width
    onHeightChanged: layout.height = height

    Connections {
        target: shell
        function onContentSizeChanged() { window.fitContent() }
    }

    Component.onCompleted: {
        fitContent()
        shell.windowShown()
    }

    Loader {
        anchors.fill: parent
        sourceComponent: shell.isAuthenticated ? mainView : loginPage
    }

    Component {
        id: loginPage
        LoginPage {}
    }

    Component {
        id: mainView
        MainView {}
    }

    ContentPageSheet {}

    UpdatePrompt {
        anchors.fill: parent
    }
}
