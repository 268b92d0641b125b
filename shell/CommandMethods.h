#pragma once

// Installs the command family's methods on "/COMMANDREQUEST.KIVO" that have
// their windows in place: "FileCache" (the exam page learns whether its
// answers were saved), "CheckUpdate" (the update offer), "SetTrustDomains"
// (sites for the trusted zone), "GetWindowsUser" (a standard user's name)
// and "ExitProcess".
void RegisterCommandMethods();
