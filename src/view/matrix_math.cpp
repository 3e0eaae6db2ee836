#include "view/matrix_math.h"

#include <cmath>

namespace {

// pi rounded to a float (the closest one, not the short pi of globe.h, so that 180 degrees is a
// half turn to float precision), divided by 180 in double as every intermediate here is.
constexpr double radiansPerDegree = 0.017453293005625408;

double dot(const glm::vec3& a, const glm::vec3& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
           static_cast<double>(a.z) * b.z;
}

glm::vec3 cross(const glm::vec3& a, const glm::vec3& b) {
    return glm::vec3(
        static_cast<float>(static_cast<double>(a.y) * b.z - static_cast<double>(a.z) * b.y),
        static_cast<float>(static_cast<double>(a.z) * b.x - static_cast<double>(a.x) * b.z),
        static_cast<float>(static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x));
}

// Divides by the length rather than multiplying by its reciprocal, so an axis-aligned
// vector comes out exactly of unit length.
glm::vec3 normalise(const glm::vec3& v) {
    const float squaredLength = static_cast<float>(dot(v, v));
    const float length = static_cast<float>(std::sqrt(static_cast<double>(squaredLength)));
    return glm::vec3(static_cast<float>(v.x / static_cast<double>(length)),
                     static_cast<float>(v.y / static_cast<double>(length)),
                     static_cast<float>(v.z / static_cast<double>(length)));
}

}  // namespace

float degreesToRadians(float degrees) {
    return static_cast<float>(degrees * radiansPerDegree);
}

glm::mat4 multiplyMatrices(const glm::mat4& left, const glm::mat4& right) {
    glm::mat4 product(0.0f);
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += static_cast<double>(left[k][row]) * right[column][k];
            product[column][row] = static_cast<float>(sum);
        }
    }
    return product;
}

glm::mat4 rotateMatrix(const glm::mat4& matrix, float angleDegrees, const glm::vec3& axis) {
    const double radians = degreesToRadians(angleDegrees);
    const double c = static_cast<float>(std::cos(radians));
    const double s = static_cast<float>(std::sin(radians));
    const glm::vec3 unitAxis = normalise(axis);
    const double x = unitAxis.x;
    const double y = unitAxis.y;
    const double z = unitAxis.z;
    const glm::vec3 temp(static_cast<float>((1.0 - c) * x), static_cast<float>((1.0 - c) * y),
                         static_cast<float>((1.0 - c) * z));

    glm::mat4 rotation(1.0f);
    rotation[0][0] = static_cast<float>(c + temp.x * x);
    rotation[0][1] = static_cast<float>(temp.x * y + s * z);
    rotation[0][2] = static_cast<float>(temp.x * z - s * y);
    rotation[1][0] = static_cast<float>(temp.y * x - s * z);
    rotation[1][1] = static_cast<float>(c + temp.y * y);
    rotation[1][2] = static_cast<float>(temp.y * z + s * x);
    rotation[2][0] = static_cast<float>(temp.z * x + s * y);
    rotation[2][1] = static_cast<float>(temp.z * y - s * x);
    rotation[2][2] = static_cast<float>(c + temp.z * z);
    return multiplyMatrices(matrix, rotation);
}

glm::mat4 lookAtMatrix(const glm::vec3& eye, const glm::vec3& target, const glm::vec3& up) {
    // A single float difference rounds as a double one would.
    const glm::vec3 forward = normalise(target - eye);
    const glm::vec3 side = normalise(cross(forward, up));
    const glm::vec3 upward = cross(side, forward);

    glm::mat4 view(1.0f);
    for (int column = 0; column < 3; ++column) {
        view[column][0] = side[column];
        view[column][1] = upward[column];
        view[column][2] = -forward[column];
    }
    view[3][0] = static_cast<float>(-dot(side, eye));
    view[3][1] = static_cast<float>(-dot(upward, eye));
    view[3][2] = static_cast<float>(dot(forward, eye));
    return view;
}
