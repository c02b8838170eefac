// Registration of the network folder's parts: the session's object types and the transports.
#pragma once

class CObjectFactory;
struct WorldServices;

// Type codes 1 (session manager), 2 (player) and 3 (team).
void RegisterNetObjectTypes(CObjectFactory& factory);
// The host and client links a world opens when it starts a server or a client.
void RegisterNetLinks(WorldServices& services);
