// Registration of the park folder's object types with the object factory.
#pragma once

class CObjectFactory;

// Skatable sections and facilities.
void RegisterParkObjectTypes(CObjectFactory& factory);
