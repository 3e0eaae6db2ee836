set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
# Linked statically, the driver runs under qemu-user without the target's shared libraries.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
