# Sourced: the Wine settings every Windows-side command of this project uses.
# Expects WINEPREFIX to be set (each build tree has its own 32-bit prefix).
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe,winedbg.exe=d"
# No display: Wine must not try to open windows or dialogs.
unset DISPLAY WAYLAND_DISPLAY
