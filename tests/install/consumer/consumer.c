/* A program built against an installed KOV32: it attaches, reads an error
 * text and the version, and releases. Prints "consumer ok" and exits 0. */
#include <stdio.h>
#include <string.h>

#include "kov32.h"

int main(void) {
  char text[64];
  int version;
  if (kovAttach(2) != 1) {
    puts("kovAttach failed");
    return 1;
  }
  kovErrorText(0, KOV_E_CHANNEL_RANGE, text, (int)sizeof text);
  if (strcmp(text, "Channel out of range.") != 0) {
    printf("unexpected error text: %s\n", text);
    return 1;
  }
  version = kovStatistics(0, KOV_STAT_VERSION);
  if (kovRelease() < 0) {
    puts("kovRelease failed");
    return 1;
  }
  printf("consumer ok, version %x\n", version);
  return 0;
}
