import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The run log: follows the end while the user stays there, keeps its place otherwise. Long lines
// wrap, so every line can be read whole. A click selects a line, a shift-click the lines up to it;
// Ctrl+C or the context menu copies the selection.
Item {
    id: page
    objectName: "runLogPage"
    property bool isActive: false

    // The selected rows, from the first clicked to the last; -1 when none is selected.
    property int selectionAnchor: -1
    property int selectionEnd: -1
    readonly property bool hasSelection: selectionAnchor >= 0 && selectionEnd >= 0

    function isSelected(row) {
        return hasSelection && row >= Math.min(selectionAnchor, selectionEnd)
               && row <= Math.max(selectionAnchor, selectionEnd)
    }
    function select(row, extend) {
        if (!extend || selectionAnchor < 0)
            selectionAnchor = row
        selectionEnd = row
    }
    function clearSelection() {
        selectionAnchor = -1
        selectionEnd = -1
    }
    function copySelection() {
        if (hasSelection)
            runLog.copyLines(selectionAnchor, selectionEnd)
    }

    Shortcut {
        sequences: [StandardKey.Copy]
        enabled: page.isActive && page.hasSelection
        onActivated: page.copySelection()
    }
    Shortcut {
        sequences: [StandardKey.SelectAll]
        enabled: page.isActive && list.count > 0
        onActivated: {
            page.selectionAnchor = 0
            page.selectionEnd = list.count - 1
        }
    }
    Shortcut {
        sequences: [StandardKey.Cancel]
        enabled: page.isActive && page.hasSelection
        onActivated: page.clearSelection()
    }

    Menu {
        id: lineMenu
        MenuItem {
            objectName: "runLogCopy"
            text: shell.text("run_log_copy")
            enabled: page.hasSelection
            onTriggered: page.copySelection()
        }
    }

    // Lines trimmed from the top of the log move the rows below them up.
    Connections {
        target: runLog.lines
        function onRowsRemoved(parent, first, last) {
            if (!page.hasSelection)
                return
            const removed = last - first + 1
            page.selectionAnchor -= removed
            page.selectionEnd -= removed
            if (page.selectionAnchor < 0 && page.selectionEnd < 0)
                page.clearSelection()
            else {
                page.selectionAnchor = Math.max(page.selectionAnchor, 0)
                page.selectionEnd = Math.max(page.selectionEnd, 0)
            }
        }
    }

    onIsActiveChanged: {
        if (isActive && list.pinned)
            list.positionViewAtEnd()
    }

    RowLayout {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        spacing: layout.s(16)

        Text {
            text: shell.text("run_log")
            textFormat: Text.PlainText
            font.family: theme.headingFont
            font.pixelSize: layout.s(26)
            font.bold: true
            color: theme.text
        }
        Text {
            objectName: "progressText"
            Layout.fillWidth: true
            text: runLog.progressText
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: layout.s(15)
            color: theme.secondaryText
        }
        Button {
            id: startPause
            objectName: "startPauseButton"
            Layout.preferredHeight: layout.s(46)
            Layout.preferredWidth: layout.s(150)
            onClicked: runLog.pressButton()
            background: Rectangle {
                radius: layout.s(10)
                color: runLog.isPauseButton ? theme.warning : theme.accent
                opacity: startPause.down ? 0.8 : 1
            }
            contentItem: Text {
                text: runLog.buttonTitle
                textFormat: Text.PlainText
                color: "#FFFFFF"
                font.pixelSize: layout.s(17)
                font.bold: true
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: header.bottom
        anchors.topMargin: layout.s(16)
        anchors.bottom: parent.bottom
        radius: layout.s(14)
        color: theme.logBackground
        border.color: theme.border

        ListView {
            id: list
            objectName: "runLogList"
            anchors.fill: parent
            anchors.margins: layout.s(14)
            clip: true
            model: runLog.lines
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds
            property bool pinned: true
            readonly property int lineHeight: Math.ceil(fontMetrics.height * 1.25)

            FontMetrics {
                id: fontMetrics
                font.family: "monospace"
                font.pixelSize: layout.s(15)
            }

            delegate: Rectangle {
                id: row
                required property string line
                required property int index
                readonly property bool selected: page.isSelected(index)
                width: ListView.view.width
                // One line of text keeps its line height; a wrapped one grows by its lines.
                height: Math.max(list.lineHeight, lineText.implicitHeight + list.lineHeight
                                 - fontMetrics.height)
                color: selected ? Qt.rgba(theme.accent.r, theme.accent.g, theme.accent.b, 0.22)
                                : "transparent"

                Text {
                    id: lineText
                    objectName: "runLogLine"
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: row.line
                    textFormat: Text.PlainText
                    font.family: "monospace"
                    font.pixelSize: layout.s(15)
                    color: theme.logText
                    wrapMode: Text.Wrap
                }

                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.LeftButton | Qt.RightButton
                    onPressed: (mouse) => {
                        if (mouse.button === Qt.RightButton) {
                            if (!row.selected)
                                page.select(row.index, false)
                            lineMenu.popup()
                        } else {
                            page.select(row.index, (mouse.modifiers & Qt.ShiftModifier) !== 0)
                        }
                    }
                }
            }

            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            function report() {
                pinned = runLog.reportScroll(contentY - originY, height, contentHeight)
            }
            onContentYChanged: {
                if (moving || dragging || flicking || verticalScrollBarActive)
                    report()
            }
            readonly property bool verticalScrollBarActive: ScrollBar.vertical ? ScrollBar.vertical.pressed : false
            onMovementEnded: report()
            onCountChanged: {
                if (pinned && page.isActive)
                    Qt.callLater(positionViewAtEnd)
            }
            Component.onCompleted: {
                if (runLog.savedContentY > 0)
                    contentY = runLog.savedContentY
                else
                    positionViewAtEnd()
            }
            Component.onDestruction: runLog.savedContentY = contentY

            Connections {
                target: runLog
                function onScrollToBottomTagChanged() {
                    list.pinned = true
                    if (page.isActive)
                        Qt.callLater(list.positionViewAtEnd)
                }
            }
        }

        // Lines that arrived while the user was reading further up.
        Rectangle {
            objectName: "newLogsBadge"
            visible: runLog.hiddenNewLineCount > 0
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: layout.s(18)
            width: badgeText.implicitWidth + layout.s(32)
            height: layout.s(36)
            radius: height / 2
            color: theme.accent
            Text {
                id: badgeText
                anchors.centerIn: parent
                text: runLog.badgeText
                textFormat: Text.PlainText
                color: "#FFFFFF"
                font.pixelSize: layout.s(14)
                font.family: "monospace"
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: runLog.jumpToEnd()
            }
        }
    }
}
