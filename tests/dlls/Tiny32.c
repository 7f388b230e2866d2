/* A tiny DLL, built both as 32-bit x86 and as x64: the loader must classify it, and a
   process of the other architecture cannot load it. */
__attribute__((dllexport)) int fbu_fake_version(void)
{
  return 0;
}
