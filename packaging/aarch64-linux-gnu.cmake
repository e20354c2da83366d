# Cross-building for arm64 (./setup.sh package arm64) with Debian's multiarch
# cross toolchain (crossbuild-essential-arm64) against Qt's arm64 development
# packages; Qt's tools (moc) are this machine's own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")
set(QT_HOST_PATH /usr)
