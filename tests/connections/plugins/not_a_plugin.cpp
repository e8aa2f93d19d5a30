// A shared library with no plug-in in it: it loads, but has no root instance.

extern "C" int tavo_test_not_a_plugin()
{
    return 42;
}
