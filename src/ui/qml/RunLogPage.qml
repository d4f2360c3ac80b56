import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The run log: follows the end while the user stays there, keeps its place otherwise.
Item {
    id: page
    objectName: "runLogPage"
    property bool isActive: false

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

            delegate: Text {
                required property string line
                width: ListView.view.width
                height: list.lineHeight
                text: line
                textFormat: Text.PlainText
                font.family: "monospace"
                font.pixelSize: layout.s(15)
                color: theme.logText
                elide: Text.ElideRight
                verticalAlignment: Text.AlignVCenter
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
