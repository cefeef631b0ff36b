/* Stands in for ffmpeg.exe in the Windows check: reads the raw frames from stdin to their end and
   writes, to the output file (the last argument), how many bytes came and every argument it got,
   one a line, so the check can see that the pipe and the command line arrived whole. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

int main(int argc, char** argv) {
    char buffer[65536];
    unsigned long long total = 0;
    size_t n;
    FILE* out;
    int i;
    _setmode(_fileno(stdin), _O_BINARY); /* as ffmpeg reads a pipe: no text-mode translation */
    while ((n = fread(buffer, 1, sizeof buffer, stdin)) > 0) total += n;
    out = argc > 1 ? fopen(argv[argc - 1], "w") : NULL;
    if (!out) return 1;
    fprintf(out, "bytes %llu\n", total);
    for (i = 1; i < argc; ++i) fprintf(out, "%s\n", argv[i]);
    return fclose(out) == 0 ? 0 : 1;
}
