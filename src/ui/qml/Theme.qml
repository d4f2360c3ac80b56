import QtQuick

// Colours of the light and dark appearance; one instance, handed to every page as "theme".
QtObject {
    property bool dark: shell.isDark
    property color background: dark ? "#16181D" : "#F3F5F9"
    property color surface: dark ? "#22252C" : "#FFFFFF"
    property color surfaceAlt: dark ? "#2B2F37" : "#EEF1F6"
    property color border: dark ? "#363A44" : "#DDE2EA"
    property color text: dark ? "#E5E5EA" : "#1D1D1F"
    property color secondaryText: dark ? "#A0A4AE" : "#6B7280"
    property color accent: "#3B82F6"
    property color accentText: "#FFFFFF"
    property color danger: "#E5484D"
    property color success: "#30A46C"
    property color warning: "#F5A524"
    property color logBackground: dark ? "#101216" : "#FBFCFE"
    property color logText: dark ? "#C9D1D9" : "#24292F"
    property string headingFont: shell.headingFont !== "" ? shell.headingFont : Qt.application.font.family
}
