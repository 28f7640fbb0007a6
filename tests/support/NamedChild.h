#pragma once
// A window's child by its object name, for the tests that drive real windows: a child that
// is missing fails the test where it is looked for.
#include <QObject>
#include <gtest/gtest.h>

namespace ar::test {

template <typename T>
T* NamedChild(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

}  // namespace ar::test
