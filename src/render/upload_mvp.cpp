#include <glm/gtc/type_ptr.hpp>

#include "render/render.h"

void uploadMvp(GLint mvpLocation, const glm::mat4& mvp) {
    glUniformMatrix4fv(mvpLocation, 1, GL_FALSE, glm::value_ptr(mvp));
}
