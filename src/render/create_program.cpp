#include <iostream>
#include <string>
#include <utility>

#include "render/render.h"

namespace {

// Writes a shader's or a program's info log, up to its terminating zero, then a
// newline and a flush; an empty log still gives its line.
void writeInfoLog(GLuint object, PFNGLGETSHADERIVPROC getParameter,
                  PFNGLGETSHADERINFOLOGPROC getInfoLog) {
    GLint length = 0;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length), '\0');
    if (length > 0) getInfoLog(object, length, nullptr, log.data());
    std::cerr << log.c_str() << std::endl;
}

// Compiles one stage; a failed compile writes the driver's log to standard error.
// The shader name is returned either way.
GLuint compileShader(GLenum type, std::string source) {
    const GLuint shader = glCreateShader(type);
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);

    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) writeInfoLog(shader, glGetShaderiv, glGetShaderInfoLog);
    return shader;
}

}  // namespace

GLuint createProgram(std::string vertexSource, std::string fragmentSource) {
    const GLuint vertexShader = compileShader(GL_VERTEX_SHADER, std::move(vertexSource));
    const GLuint fragmentShader = compileShader(GL_FRAGMENT_SHADER, std::move(fragmentSource));

    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glBindAttribLocation(program, positionLocation, "position");
    glLinkProgram(program);
    glDetachShader(program, vertexShader);
    glDetachShader(program, fragmentShader);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);

    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) writeInfoLog(program, glGetProgramiv, glGetProgramInfoLog);
    return program;
}
