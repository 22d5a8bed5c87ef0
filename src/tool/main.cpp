#include "tool/dispatch.hpp"

int main(int argc, char** argv) { return levelkit::runCommand(argc, argv); }
