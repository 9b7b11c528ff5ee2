/* The libcups side of the whole-process comparison (compare_process.py): opens the PPD file given
   as the only argument with ppdOpenFile and closes it again, nothing else. Exit status 0 when the
   file opened, 1 otherwise. */
#include <cups/ppd.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  ppd_file_t* ppd = ppdOpenFile(argv[1]);
  if (ppd == NULL) return 1;
  ppdClose(ppd);
  return 0;
}
