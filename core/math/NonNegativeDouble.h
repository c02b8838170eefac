// NonNegativeDouble: a double that sums values but never drops below zero.
#pragma once

class NonNegativeDouble {
 public:
  // With replace set, store the value; otherwise add it and clamp the sum at 0.0.
  double Add(double value, bool replace) {
    if (replace) {
      m_value = value;
    } else {
      m_value += value;
      if (m_value < 0.0) m_value = 0.0;
    }
    return m_value;
  }
  double Get() const { return m_value; }

 private:
  double m_value = 0.0;
};
