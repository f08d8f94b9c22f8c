// A library without HHA_CompileHHP, for the loader's "no entry" result.
extern "C" __declspec(dllexport) int __stdcall SomethingElse() { return 7; }
