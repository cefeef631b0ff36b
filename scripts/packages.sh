# Debian packages, by what needs them.
BUILD_PACKAGES="cmake g++ make pkg-config libsdl2-dev libsdl2-mixer-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0 libegl1 libcli11-dev libstb-dev"
TEST_PACKAGES="libgtest-dev libgmock-dev ffmpeg clang libclang-rt-14-dev valgrind"
TOOL_PACKAGES="libfreetype-dev fonts-dejavu-core libmp3lame-dev lame"
