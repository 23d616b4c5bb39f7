// The SDL, FFmpeg and libjpeg functions the player calls, one line each:
// TARN_LAZY_SYMBOL(library, name). The player executable does not link these
// libraries; lazy_trampolines.cpp defines every function named here as a jump
// through a slot that lazy_libraries.cpp fills from the loaded library. A
// function called anywhere in the player but missing here is an undefined
// reference when the executable links, so the list cannot fall behind.
//
// No include guard: each includer defines TARN_LAZY_SYMBOL, includes this
// file and undefines the macro.

// libSDL2
TARN_LAZY_SYMBOL(Sdl, SDL_CloseAudioDevice)
TARN_LAZY_SYMBOL(Sdl, SDL_ConvertPixels)
TARN_LAZY_SYMBOL(Sdl, SDL_CreateRGBSurfaceWithFormatFrom)
TARN_LAZY_SYMBOL(Sdl, SDL_CreateWindow)
TARN_LAZY_SYMBOL(Sdl, SDL_DestroyWindow)
TARN_LAZY_SYMBOL(Sdl, SDL_FillRect)
TARN_LAZY_SYMBOL(Sdl, SDL_FreeSurface)
TARN_LAZY_SYMBOL(Sdl, SDL_GetCurrentVideoDriver)
TARN_LAZY_SYMBOL(Sdl, SDL_GetDesktopDisplayMode)
TARN_LAZY_SYMBOL(Sdl, SDL_GetDisplayBounds)
TARN_LAZY_SYMBOL(Sdl, SDL_GetError)
TARN_LAZY_SYMBOL(Sdl, SDL_GetGlobalMouseState)
TARN_LAZY_SYMBOL(Sdl, SDL_GetMouseState)
TARN_LAZY_SYMBOL(Sdl, SDL_GetWindowID)
TARN_LAZY_SYMBOL(Sdl, SDL_GetWindowSurface)
TARN_LAZY_SYMBOL(Sdl, SDL_GetWindowWMInfo)
TARN_LAZY_SYMBOL(Sdl, SDL_HideWindow)
TARN_LAZY_SYMBOL(Sdl, SDL_InitSubSystem)
TARN_LAZY_SYMBOL(Sdl, SDL_LockSurface)
TARN_LAZY_SYMBOL(Sdl, SDL_MapRGB)
TARN_LAZY_SYMBOL(Sdl, SDL_OpenAudioDevice)
TARN_LAZY_SYMBOL(Sdl, SDL_PauseAudioDevice)
TARN_LAZY_SYMBOL(Sdl, SDL_PollEvent)
TARN_LAZY_SYMBOL(Sdl, SDL_PushEvent)
TARN_LAZY_SYMBOL(Sdl, SDL_QuitSubSystem)
TARN_LAZY_SYMBOL(Sdl, SDL_RaiseWindow)
TARN_LAZY_SYMBOL(Sdl, SDL_RegisterEvents)
TARN_LAZY_SYMBOL(Sdl, SDL_SetHint)
TARN_LAZY_SYMBOL(Sdl, SDL_SetWindowFullscreen)
TARN_LAZY_SYMBOL(Sdl, SDL_SetWindowIcon)
TARN_LAZY_SYMBOL(Sdl, SDL_SetWindowInputFocus)
TARN_LAZY_SYMBOL(Sdl, SDL_SetWindowPosition)
TARN_LAZY_SYMBOL(Sdl, SDL_SetWindowSize)
TARN_LAZY_SYMBOL(Sdl, SDL_ShowWindow)
TARN_LAZY_SYMBOL(Sdl, SDL_UnlockSurface)
TARN_LAZY_SYMBOL(Sdl, SDL_UpdateWindowSurface)
TARN_LAZY_SYMBOL(Sdl, SDL_WaitEventTimeout)
TARN_LAZY_SYMBOL(Sdl, SDL_WasInit)
TARN_LAZY_SYMBOL(Sdl, SDL_memset)

// libavutil
TARN_LAZY_SYMBOL(AvUtil, av_channel_layout_compare)
TARN_LAZY_SYMBOL(AvUtil, av_channel_layout_copy)
TARN_LAZY_SYMBOL(AvUtil, av_channel_layout_default)
TARN_LAZY_SYMBOL(AvUtil, av_channel_layout_uninit)
TARN_LAZY_SYMBOL(AvUtil, av_dict_free)
TARN_LAZY_SYMBOL(AvUtil, av_dict_set)
TARN_LAZY_SYMBOL(AvUtil, av_display_rotation_get)
TARN_LAZY_SYMBOL(AvUtil, av_frame_alloc)
TARN_LAZY_SYMBOL(AvUtil, av_frame_free)
TARN_LAZY_SYMBOL(AvUtil, av_frame_unref)
TARN_LAZY_SYMBOL(AvUtil, av_log_set_level)

// libavcodec
TARN_LAZY_SYMBOL(AvCodec, av_packet_alloc)
TARN_LAZY_SYMBOL(AvCodec, av_packet_free)
TARN_LAZY_SYMBOL(AvCodec, av_packet_move_ref)
TARN_LAZY_SYMBOL(AvCodec, av_packet_unref)
TARN_LAZY_SYMBOL(AvCodec, avcodec_alloc_context3)
TARN_LAZY_SYMBOL(AvCodec, avcodec_find_decoder)
TARN_LAZY_SYMBOL(AvCodec, avcodec_flush_buffers)
TARN_LAZY_SYMBOL(AvCodec, avcodec_free_context)
TARN_LAZY_SYMBOL(AvCodec, avcodec_open2)
TARN_LAZY_SYMBOL(AvCodec, avcodec_parameters_to_context)
TARN_LAZY_SYMBOL(AvCodec, avcodec_receive_frame)
TARN_LAZY_SYMBOL(AvCodec, avcodec_send_packet)

// libavformat
TARN_LAZY_SYMBOL(AvFormat, av_guess_frame_rate)
TARN_LAZY_SYMBOL(AvFormat, av_read_frame)
TARN_LAZY_SYMBOL(AvFormat, av_seek_frame)
TARN_LAZY_SYMBOL(AvFormat, av_stream_get_side_data)
TARN_LAZY_SYMBOL(AvFormat, avformat_close_input)
TARN_LAZY_SYMBOL(AvFormat, avformat_find_stream_info)
TARN_LAZY_SYMBOL(AvFormat, avformat_open_input)

// libswscale
TARN_LAZY_SYMBOL(SwScale, sws_freeContext)
TARN_LAZY_SYMBOL(SwScale, sws_getCachedContext)
TARN_LAZY_SYMBOL(SwScale, sws_getContext)
TARN_LAZY_SYMBOL(SwScale, sws_scale)

// libswresample
TARN_LAZY_SYMBOL(SwResample, swr_alloc_set_opts2)
TARN_LAZY_SYMBOL(SwResample, swr_convert)
TARN_LAZY_SYMBOL(SwResample, swr_free)
TARN_LAZY_SYMBOL(SwResample, swr_get_out_samples)
TARN_LAZY_SYMBOL(SwResample, swr_init)
TARN_LAZY_SYMBOL(SwResample, swr_set_matrix)

// libjpeg
TARN_LAZY_SYMBOL(Jpeg, jpeg_CreateDecompress)
TARN_LAZY_SYMBOL(Jpeg, jpeg_calc_output_dimensions)
TARN_LAZY_SYMBOL(Jpeg, jpeg_destroy_decompress)
TARN_LAZY_SYMBOL(Jpeg, jpeg_finish_decompress)
TARN_LAZY_SYMBOL(Jpeg, jpeg_read_header)
TARN_LAZY_SYMBOL(Jpeg, jpeg_read_scanlines)
TARN_LAZY_SYMBOL(Jpeg, jpeg_resync_to_restart)
TARN_LAZY_SYMBOL(Jpeg, jpeg_start_decompress)
TARN_LAZY_SYMBOL(Jpeg, jpeg_std_error)
