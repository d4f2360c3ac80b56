import QtQuick
import QtQuick.Controls
import QtQuick.Window

ApplicationWindow {
    id: window
    objectName: "mainWindow"
    // Launch at login starts in the tray, where there is one.
    visible: !tray.startsHidden
    title: shell.text("app_name")
    color: theme.background

    // The content size decides the window size, but never beyond the screen's free area; a
    // maximised or full-screen window stays as it is.
    function fitContent() {
        if (window.visibility === Window.Maximized || window.visibility === Window.FullScreen)
            return
        const area = shell.fittedWindowGeometry(window)
        window.minimumWidth = Math.min(window.minimumWidth, area.width)
        window.minimumHeight = Math.min(window.minimumHeight, area.height)
        window.width = area.width
        window.height = area.height
        window.minimumWidth = area.width
        window.minimumHeight = area.height
        window.x = area.x
        window.y = area.y
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
    // With a tray, closing leaves the engine running there; without one it quits.
    onClosing: (close) => {
        if (tray.closeToTray()) {
            close.accepted = false
            window.hide()
        }
    }
    // The frame is known once the window is on screen.
    onVisibleChanged: if (visible) fitContent()

    // A window smaller than the page's design (a small screen) scrolls the page instead of
    // cutting it.
    Flickable {
        id: pageScroller
        objectName: "pageScroller"
        anchors.fill: parent
        contentWidth: Math.max(width, shell.contentWidth)
        contentHeight: Math.max(height, shell.contentHeight)
        interactive: contentWidth > width || contentHeight > height
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar {
            policy: pageScroller.contentHeight > pageScroller.height ? ScrollBar.AlwaysOn
                                                                     : ScrollBar.AsNeeded
        }
        ScrollBar.horizontal: ScrollBar {
            policy: pageScroller.contentWidth > pageScroller.width ? ScrollBar.AlwaysOn
                                                                   : ScrollBar.AsNeeded
        }

        Loader {
            width: pageScroller.contentWidth
            height: pageScroller.contentHeight
            sourceComponent: shell.isAuthenticated ? mainView : loginPage
        }
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
