/* A 32-bit x86 DLL: the loader must classify it and a 64-bit process cannot load it. */
__attribute__((dllexport)) int fbu_fake_version(void)
{
  return 0;
}
