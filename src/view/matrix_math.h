#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

// Matrix arithmetic for the camera. Within one expression sums and products are carried
// in double precision, and a value is rounded to a float once, when it is stored (a
// coordinate, an angle, a matrix entry) or handed to a square root, sine or cosine.
// GLM's float versions round after every step and differ from these by an ulp in some
// entries, at ordinary angles and distances.

// Multiplies by 0.017453293005625408 (pi rounded to a float, divided by 180 in double).
float degreesToRadians(float degrees);

// left × right, for column vectors.
glm::mat4 multiplyMatrices(const glm::mat4& left, const glm::mat4& right);

// matrix × R, where R turns right-handedly by the angle about the normalised axis.
glm::mat4 rotateMatrix(const glm::mat4& matrix, float angleDegrees, const glm::vec3& axis);

// The right-handed view from eye towards target. A zero-length view direction (eye on
// the target) yields a matrix of not-a-number values.
glm::mat4 lookAtMatrix(const glm::vec3& eye, const glm::vec3& target, const glm::vec3& up);
