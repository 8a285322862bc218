-- An idle host: one started, joined Tidelisten and host.run for SECONDS with no traffic.
local group, port, seconds = arg[1] or "239.255.63.3", tonumber(arg[2] or 46303), tonumber(arg[3] or 5)
local listener = xtra.new("Tidelisten")
listener:SetScriptObject({})
assert(listener:Open(port, group) == 0)
listener:Start()
host.run(seconds)
listener:Stop()
