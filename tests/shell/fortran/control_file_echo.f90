! Reads a control file as the system's readers do (two free-form reads, then
! the fixed-column control lines) and writes it again with the file's
! layouts: the reference the saved control file is compared with.
program control_file_echo
  implicit none
  character(len=512) :: input_name, output_name
  real :: reals(9), node, elevation
  integer :: packed(8), k

  call get_command_argument(1, input_name)
  call get_command_argument(2, output_name)
  open(10, file=trim(input_name), status='old')
  open(11, file=trim(output_name), status='replace')
  read(10, *) reals
  read(10, *) packed
  write(11, '(4(1X,F8.2),3(1X,F8.4),2(1X,F8.2))') reals
  write(11, '(7(1X,I2),1X,I4)') packed
  do k = 1, packed(8)
    read(10, '(1X,F8.1,1X,F8.2)') node, elevation
    write(11, '(1X,F8.1,1X,F8.2)') node, elevation
  end do
  close(10)
  close(11)
end program control_file_echo
