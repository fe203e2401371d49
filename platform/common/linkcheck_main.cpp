// The program of the link checks (see platform/CMakeLists.txt): it does
// nothing; linking it proves a folder's library needs no folder it does not
// declare. Not part of any library.
int main() { return 0; }
