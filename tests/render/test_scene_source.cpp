// The built-in test scene of quarvel-capture, compiled in for the render tests.
#include "../../tools/capture/test_scene.cpp"
