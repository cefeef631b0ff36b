# Debian packages, by what needs them.
BUILD_PACKAGES="cmake g++ make pkg-config libsdl2-dev libsdl2-mixer-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0 libegl1 libcli11-dev libstb-dev"
CAPTURE_PACKAGES="ffmpeg"
GLES_PACKAGES="libgles-dev libegl-dev"
TEST_PACKAGES="libgtest-dev libgmock-dev nlohmann-json3-dev ffmpeg clang libclang-rt-14-dev valgrind xvfb xauth openbox"
TOOL_PACKAGES="libfreetype-dev fonts-dejavu-core libmp3lame-dev lame"
PACKAGE_PACKAGES="dpkg-dev file lintian desktop-file-utils"
WINDOWS_BUILD_PACKAGES="cmake make dpkg-dev zip g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libcli11-dev libstb-dev"
WINDOWS_CHECK_PACKAGES="wine64 xvfb xauth xdotool unzip ffmpeg libgl1-mesa-dri"
