ardour {
	["type"]    = "dsp",
	name        = "Quorvane Test Player",
	category    = "Utility",
	license     = "MIT",
	author      = "Quorvane tests",
	description = [[Plays qv-input.wav of the session folder, both channels, from the first cycle the transport rolls]]
}

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 } }
end

-- The whole file is read here, into memory of the processor's own: the audio thread reads no
-- file, and the file's sources are let go at once.
function dsp_init (rate)
	local readables = ARDOUR.Readable.load (Session, ARDOUR.LuaAPI.build_filename (Session:path (), "qv-input.wav"))
	length = readables:at (0):readable_length ()
	self:shmem ():allocate (2 * length)
	for c = 0, 1 do
		local at = 0
		while at < length do
			local got = readables:at (c):read (self:shmem ():to_float (c * length + at), at, math.min (8192, length - at), 0)
			assert (got > 0)
			at = at + got
		end
	end
	readables = nil
	collectgarbage ()
	played = 0
end

-- the file, sample after sample, while the transport rolls; silence before and after it
function dsp_run (ins, outs, n_samples)
	local rolling = Session:transport_rolling ()
	local take = 0
	if rolling and played < length then take = math.min (n_samples, length - played) end
	for c = 1, 2 do
		if take > 0 then
			ARDOUR.DSP.copy_vector (outs[c], self:shmem ():to_float ((c - 1) * length + played), take)
		end
		if take < n_samples then
			ARDOUR.DSP.memset (outs[c]:offset (take), 0, n_samples - take)
		end
	end
	if rolling then played = played + n_samples end
end
