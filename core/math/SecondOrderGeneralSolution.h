// CSecondOrderGeneralSolution: the closed-form solution x(t) of a x'' + b x' + c x = 0 for given
// initial position and rate; springs step along it instead of integrating.
#pragma once

class CSecondOrderGeneralSolution {
 public:
  // a must not be 0 (the equation would not be second order); 1 is used then.
  CSecondOrderGeneralSolution(float a, float b, float c);

  // x(0) = x0, x'(0) = u0.
  void SetInitialConditions(float x0, float u0);
  float Position(float t) const;
  float Rate(float t) const;
  // X(t) with X' = x (any constant); the mean of x over [t0, t1] is (X(t1) - X(t0)) / (t1 - t0).
  float Integral(float t) const;

  float GetDiscriminant() const { return m_d; }

 private:
  float m_d = 0.0f;  // b^2 - 4ac
  float m_p = 0.0f;  // root, or real part
  float m_q = 0.0f;  // second root, or imaginary part
  float m_k1 = 0.0f;
  float m_k2 = 0.0f;
};
