! Writes a record file as the model list and model files hold them: one real
! a record, a 50-character text record, a record of several reals and an
! empty record.
program write_records
  implicit none
  character(len=256) :: file_name
  character(len=50) :: text
  call get_command_argument(1, file_name)
  open(10, file=trim(file_name), access='sequential', form='unformatted', status='replace')
  write(10) -111888.0
  text = 'D:\STUDY\AA0101ZZ.Z11'
  write(10) text
  write(10) 1.5, -2.25, 3.0e7
  write(10) 0.1
  write(10)
  write(10) -0.0
  close(10)
end program write_records
