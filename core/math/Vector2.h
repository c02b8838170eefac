// Vector2: 2-D point, also used as a barycentric pair (u, v).
#pragma once

struct Vector2 {
  float x, y;

  Vector2() : x(0.0f), y(0.0f) {}
  Vector2(float ax, float ay) : x(ax), y(ay) {}

  void Set(float ax, float ay) {
    x = ax;
    y = ay;
  }

  Vector2 operator+(const Vector2& b) const { return Vector2(x + b.x, y + b.y); }
  Vector2 operator-(const Vector2& b) const { return Vector2(x - b.x, y - b.y); }
  Vector2 operator*(float s) const { return Vector2(x * s, y * s); }
  bool operator==(const Vector2& b) const { return x == b.x && y == b.y; }
  bool operator!=(const Vector2& b) const { return !(*this == b); }

  float Dot(const Vector2& b) const { return x * b.x + y * b.y; }
  float LengthSquared() const { return x * x + y * y; }
};

static_assert(sizeof(Vector2) == 8, "Vector2 is two packed floats");
