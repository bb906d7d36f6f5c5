-- ardour7-lua session.lua INPUT SESSION-FOLDER SECONDS
-- A session at 48 kHz with one stereo track: the test player feeds INPUT (the key on the first
-- channel, the signal on the second) into the plug-in, loaded by its URI; the track's panner is
-- bypassed, so both outputs reach the master bus as they are. The master is exported as 32-bit
-- float WAV to SESSION-FOLDER/out/.
local input, folder, seconds = arg[1], arg[2], tonumber (arg[3])
local rate = 48000

AudioEngine:set_backend ("None (Dummy)", "", "")
assert (create_session (folder, "quorvane", rate), "cannot create the session")

-- the player reads its file from the session folder
local from = assert (io.open (input, "rb"))
local to = assert (io.open (ARDOUR.LuaAPI.build_filename (Session:path (), "qv-input.wav"), "wb"))
to:write (from:read ("a"))
from:close ()
to:close ()

Session:new_audio_track (2, 2, nil, 1, "Ducked", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local track = assert (Session:route_by_name ("Ducked"))
local plugin = ARDOUR.LuaAPI.new_plugin (Session, "urn:quorvane:lv2:quorvane", ARDOUR.PluginType.LV2, "")
assert (not plugin:isnil (), "the plug-in urn:quorvane:lv2:quorvane is not found")
assert (track:add_processor_by_index (plugin, 0, nil, true) == 0, "cannot add the plug-in")
local player = ARDOUR.LuaAPI.new_luaproc (Session, "Quorvane Test Player")
assert (not player:isnil (), "the test player is not found")
assert (track:add_processor_by_index (player, 0, nil, true) == 0, "cannot add the player")
track:panner_shell ():set_bypassed (true)
print ("track latency", track:signal_latency ())

local export = Session:simple_export ()
assert (export:set_preset ("5a1f2d3e-0c4b-4e7a-9b61-6f0d2c9e8a17"), "no float export preset")
export:set_folder (ARDOUR.LuaAPI.build_filename (folder, "out"))
export:set_range (0, rate * seconds)
assert (export:check_outputs (), "nothing to export")
assert (export:run_export (), "the export failed")
print ("exported")
close_session ()
