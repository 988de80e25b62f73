// The smallest complete host program: install a log sink, call every
// operator once, check the answers.
#include <zelvan/zelvan.h>

#include <cstdio>

static int messages = 0;
static void Log(int level, const char* message) {
  ++messages;
  std::printf("zelvan [%d]: %s\n", level, message);
}

int main() {
  zelvan::SetExternalLogFunc(&Log);
  int failed = 0;
  auto check = [&](const char* what, bool ok) {
    std::printf("%-10s %s\n", what, ok ? "ok" : "FAILED");
    failed += ok ? 0 : 1;
  };

  int a[4] = {1, 5, -3, 7}, b[4] = {2, 5, -4, 0};
  bool lt[4], gt[4];
  check("Less", zelvan::Less(a, b, lt, 4) == 0 && lt[0] && !lt[1] && !lt[2] && !lt[3]);
  check("Greater", zelvan::Greater(a, 0, gt, 4) == 0 && gt[0] && gt[1] && !gt[2] && gt[3]);

  float x[4] = {-7, 7, 5.5f, 1}, r[4];
  check("FloorMod", zelvan::FloorMod(x, 3.0f, r, 4) == 0 && r[0] == -1 && r[1] == 1 && r[2] == 2.5f);

  long s1[3] = {1, 2, 3}, s2[3] = {-1, -2, -3}, so[3];
  bool c[3] = {true, false, true};
  check("Select", zelvan::Select(c, s1, s2, so, 3) == 0 && so[0] == 1 && so[1] == -2 && so[2] == 3);

  // C = A * B, column-major 2x2.
  float ma[4] = {1, 3, 2, 4}, mb[4] = {5, 7, 6, 8}, mc[4] = {0, 0, 0, 0};
  zelvan::MatMulParams<float> p{102, 111, 111, 2, 2, 2, 1.0f, 2, 2, 0.0f, 2};
  check("Matmul", zelvan::Matmul(ma, mb, mc, p) == 0 && mc[0] == 19 && mc[1] == 43 && mc[2] == 22 && mc[3] == 50);

  const long bucketKeys[4] = {-1, 5, -1, -1};
  const float bucketValues[8] = {0, 0, 1.5f, 2.5f, 0, 0, 0, 0};
  const zelvan::TableInfo table{4, 2, -1, -2, bucketKeys, bucketValues};
  const long keys[2] = {5, 6};
  const float def[2] = {-1, -1};
  float rows[4];
  check("Find", zelvan::Find(table, keys, rows, def, 2) == 0 && rows[0] == 1.5f && rows[1] == 2.5f && rows[2] == -1);
  check("logging", zelvan::Find(table, nullptr, rows, def, 2) == zelvan::STATUS_NULL_POINTER && messages == 1);
  return failed;
}
