#include "app/CMainDlgApp.h"

int main(int argc, char** argv) { return qt40::CMainDlgApp::Run(argc, argv); }
