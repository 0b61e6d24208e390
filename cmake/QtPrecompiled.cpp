// The object that carries cmake/QtPrecompiled.h precompiled (cmake/BuildSpeed.cmake); it holds no code.
