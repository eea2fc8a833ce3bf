// GoogleTest and the standard headers every test source includes, compiled once per test target.
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
