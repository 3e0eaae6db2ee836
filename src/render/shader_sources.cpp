#include "render/render.h"

// The texts declare GLSL 1.10, the version every OpenGL 2.0 driver compiles, since start-up
// admits any such driver; they use only what 1.10 defines: `attribute`, `varying`,
// `texture2D` and `gl_FragColor`. The attribute is bound to location 0 by name before the
// program links.

const std::string vertexShaderSource =
    "#version 110\n"
    "attribute vec3 position;"
    "uniform mat4 mvp;"
    "varying float height;"
    "void main() {"
    "    gl_Position = mvp * vec4(position, 1.0);"
    "    height = length(position);"
    "}";

const std::string fragmentShaderSource =
    "#version 110\n"
    "varying float height;"
    "uniform sampler2D terrainTexture;"
    "void main() {"
    "    float texCoord = (clamp(height, 0.96, 1.04) - 0.96) / (1.04 - 0.96);"
    "    gl_FragColor = texture2D(terrainTexture, vec2(texCoord, 0.0));"
    "}";
