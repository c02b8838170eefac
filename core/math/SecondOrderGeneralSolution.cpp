#include "core/math/SecondOrderGeneralSolution.h"

#include <algorithm>
#include <cmath>

CSecondOrderGeneralSolution::CSecondOrderGeneralSolution(float a, float b, float c) {
  if (a == 0.0f) a = 1.0f;
  m_d = b * b - 4.0f * a * c;
  // Near critical damping the two roots meet and the distinct-root constants divide by their
  // rounding-sized difference: treat such a system as critically damped.
  if (std::fabs(m_d) <= 1e-6f * std::max(b * b, std::fabs(4.0f * a * c))) m_d = 0.0f;
  if (m_d > 0.0f) {
    const float s = std::sqrt(m_d);
    m_p = (s - b) / (2.0f * a);
    m_q = (-b - s) / (2.0f * a);
  } else if (m_d < 0.0f) {
    m_p = -b / (2.0f * a);
    m_q = std::sqrt(-m_d) / (2.0f * a);
  } else {
    m_p = m_q = -b / (2.0f * a);
  }
}

void CSecondOrderGeneralSolution::SetInitialConditions(float x0, float u0) {
  if (m_d > 0.0f) {
    m_k1 = (m_q * x0 - u0) / (m_q - m_p);
    m_k2 = (u0 - m_p * x0) / (m_q - m_p);
  } else if (m_d < 0.0f) {
    m_k1 = x0;
    m_k2 = (u0 - m_p * x0) / m_q;
  } else {
    m_k1 = x0;
    m_k2 = u0 - m_p * x0;
  }
}

float CSecondOrderGeneralSolution::Position(float t) const {
  if (m_d > 0.0f) return m_k1 * std::exp(m_p * t) + m_k2 * std::exp(m_q * t);
  if (m_d < 0.0f) return std::exp(m_p * t) * (m_k1 * std::cos(m_q * t) + m_k2 * std::sin(m_q * t));
  return std::exp(m_p * t) * (m_k1 + m_k2 * t);
}

float CSecondOrderGeneralSolution::Rate(float t) const {
  if (m_d > 0.0f) return m_k1 * m_p * std::exp(m_p * t) + m_k2 * m_q * std::exp(m_q * t);
  if (m_d < 0.0f) {
    const float e = std::exp(m_p * t);
    const float c = std::cos(m_q * t), s = std::sin(m_q * t);
    return e * (m_p * (m_k1 * c + m_k2 * s) + m_q * (m_k2 * c - m_k1 * s));
  }
  return std::exp(m_p * t) * (m_p * (m_k1 + m_k2 * t) + m_k2);
}

float CSecondOrderGeneralSolution::Integral(float t) const {
  if (m_d > 0.0f) {
    // A root of 0 (no stiffness) integrates to a linear term.
    const float first = m_p != 0.0f ? m_k1 / m_p * std::exp(m_p * t) : m_k1 * t;
    const float second = m_q != 0.0f ? m_k2 / m_q * std::exp(m_q * t) : m_k2 * t;
    return first + second;
  }
  if (m_d < 0.0f) {
    const float e = std::exp(m_p * t);
    const float c = std::cos(m_q * t), s = std::sin(m_q * t);
    return e * ((m_p * m_k1 - m_q * m_k2) * c + (m_q * m_k1 + m_p * m_k2) * s) / (m_p * m_p + m_q * m_q);
  }
  if (m_p == 0.0f) return m_k1 * t + 0.5f * m_k2 * t * t;
  return std::exp(m_p * t) * (m_k1 + m_k2 * t - m_k2 / m_p) / m_p;
}
