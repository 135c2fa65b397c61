// A shared library that loads fine but is no plug-in: no entry point.

extern "C" __attribute__((visibility("default"))) int notAPluginAnswer()
{
    return 42;
}
